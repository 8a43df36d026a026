#pragma once
// The "Com Ports" page: the COM numbers of the Display Port and the Merge Port (0 for off), each
// list showing the device or network address the ports folder binds to each number, with a way to
// bind one.
#include <cstdint>
#include <map>
#include <string>

#include <QString>

#include "lines/Line.h"
#include "lines/NetAddress.h"
#include "lines/PortBindings.h"
#include "settings/MessageBox.h"
#include "ui/PropertySheet.h"

class QComboBox;

namespace tarvik {

inline constexpr int ControlDisplayPort = 1044;
inline constexpr int ControlMergePort = 1045;
inline constexpr int ControlBindDisplay = 1060;
inline constexpr int ControlBindMerge = 1061;

class TarvikPPComms : public PropertyPage {
public:
    TarvikPPComms(comm::PortBindings& bindings, MessageBox& messageBox);

    // List entry `index` (its stored value): "OFF", "COMn", or "COMn — device" when bound.
    static QString entryText(int index, const std::map<uint32_t, comm::PortBinding>& bindings);

    // Binds `device` as the COM number chosen in list `listId` (the lowest number the folder does
    // not bind yet, then chosen in the list, when it says OFF or nothing), once the user may use
    // it; a device the user may not use is refused with a message and nothing is written. True
    // when the link was written.
    bool bindDevice(int listId, const std::string& device);
    // Binds the network `address` (rfc2217://HOST:PORT, tcp://..., +tls) the same way, once it
    // reads as one and the user has been told what a connection to it found: the server answered,
    // or why not (then the user may bind it anyway, for a server that is off for now). The check
    // connects once, within `timeout`, while the window keeps working. True when the link was
    // written.
    bool bindAddress(int listId, const std::string& address, int timeoutMs = 10000);

    QComboBox* m_displayPortCombo = nullptr;
    QComboBox* m_mergePortCombo = nullptr;
    int32_t m_displayPort = 0;
    int32_t m_mergePort = 0;

protected:
    void onInitDialog() override;
    void doDataExchange(DataExchange& dx) override;

private:
    void onBind(int listId);
    // The COM number a binding from list `listId` gets, 0 when none is left.
    uint32_t numberFor(int listId);
    bool writeBinding(int listId, uint32_t number, const std::string& target);
    bool checkAddress(const net::NetAddress& address, int timeoutMs, comm::LineError& why);
    QComboBox* portList(int listId) const {
        return listId == ControlDisplayPort ? m_displayPortCombo : m_mergePortCombo;
    }
    void widenLists();
    void showProblem(const std::string& text);

    comm::PortBindings& m_bindings;
    MessageBox& m_messageBox;
};

}  // namespace tarvik
