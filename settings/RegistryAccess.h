#pragma once
// Reads and writes single settings values (32-bit numbers and texts) and reports unexpected
// failures in an "Application Error" box. Holds nothing between calls: every call opens the key,
// does its one thing and closes it again.
#include <cstdint>
#include <string>

#include "settings/HiveStore.h"
#include "settings/MessageBox.h"

namespace tarvik {

class RegistryAccess {
public:
    RegistryAccess(MessageBox& box, HiveStore& store) : m_box(box), m_store(store) {}

    // A stored value of at most 4 bytes is copied into the low bytes of `number`, whatever its
    // type; the bytes it does not cover keep their previous value.
    bool readNumber(uint32_t hive, const std::string& keyPath, const std::string& name, int32_t& number);
    // Every zero byte is dropped, so texts stored with or without a terminator read the same.
    bool readString(uint32_t hive, const std::string& keyPath, const std::string& name, std::string& text);
    // The size of the value's data in bytes; 0 when it cannot be determined.
    uint32_t getValueSize(uint32_t hive, const std::string& keyPath, const std::string& name);
    bool writeNumber(uint32_t hive, const std::string& keyPath, const std::string& name, int32_t number);
    // Stored without a terminating zero: the data is exactly the text's bytes.
    bool writeString(uint32_t hive, const std::string& keyPath, const std::string& name, const std::string& text);

    void showRegistryError(const std::string& operation, uint32_t code);

    // The box text for `code`, with `detail` (the file, where an unreadable one was kept, how to
    // make a refused one writable) after the system's text when there is one.
    static std::string composeErrorText(const std::string& operation, uint32_t code, const std::string& detail);

private:
    // Shows the box for a failure, unless the store says the user has already been told of it.
    void report(const char* operation, uint32_t code);
    // Passes a store call's result on, first showing what the store had to tell about the file.
    uint32_t heard(uint32_t code);
    bool writeValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                    const uint8_t* data, uint32_t size);

    MessageBox& m_box;
    HiveStore& m_store;
};

}  // namespace tarvik
