#include "res/StringTable.h"

#include <array>
#include <utility>

namespace tarvik {
namespace {

constexpr std::array<std::pair<uint32_t, const char*>, 34> Strings{{
    {101, "&About Tarvik..."},
    {102, "Tarvik"},
    {103, "Software\\Ondrix Series III\\Tarvik"},
    {106, "Tarvik Properties"},
    {107, "Comms Error"},
    {108, "i1"},
    {109, "sys"},
    {110, "sc"},
    {111, "dr"},
    {112, "xc Master A 1"},
    {113, "fx"},
    {114, "dir"},
    {115, "ic"},
    {116, "I1"},
    {117, "Save"},
    {118, "Sys Config"},
    {119, "Disk Rec"},
    {120, "Master"},
    {121, "Fx"},
    {122, "Dir"},
    {123, "Ic"},
    {124, "Main Pos x"},
    {125, "Main Pos y"},
    {126, "Main Visible"},
    {127, "Display Port"},
    {129, "Merge Port"},
    {131, "Main Float"},
    {132, "Main Rem Position"},
    {133, "Main Start"},
    {134, "Mouse Position"},
    {135, "DirectX Failure"},
    {136, "Shutdown - Please Wait"},
    {137, "Baud"},
    {138, "Mouse Speed"},
}};

}  // namespace

bool tryLoadString(uint32_t id, std::string& text) {
    for (const auto& [key, value] : Strings) {
        if (key == id) {
            text = value;
            return true;
        }
    }
    return false;
}

std::string loadString(uint32_t id) {
    std::string text;
    tryLoadString(id, text);
    return text;
}

}  // namespace tarvik
