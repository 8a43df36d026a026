#pragma once
// Hives in memory, with failures that a test can arrange call by call.
#include <cctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "IMessageBox.h"
#include "Win32Codes.h"
#include "hive/HiveStore.h"

namespace tarvik::test {

class FakeHiveStore : public IHiveStore {
public:
    struct Value {
        uint32_t type = 0;
        std::vector<uint8_t> data;
    };
    using Key = std::pair<uint32_t, std::string>;

    std::map<Key, std::map<std::string, Value>> keys;
    uint32_t openError = 0, queryError = 0, createError = 0, setError = 0;
    std::string detail;

    void Put(uint32_t hive, const std::string& path, const std::string& name, uint32_t type,
             std::vector<uint8_t> data) {
        keys[{hive, Fold(path)}][Fold(name)] = Value{type, std::move(data)};
    }
    const Value* Get(uint32_t hive, const std::string& path, const std::string& name) const {
        auto key = keys.find({hive, Fold(path)});
        if (key == keys.end()) return nullptr;
        auto value = key->second.find(Fold(name));
        return value == key->second.end() ? nullptr : &value->second;
    }

    uint32_t OpenKey(uint32_t hive, const std::string& path) override {
        if (openError) return openError;
        return keys.count({hive, Fold(path)}) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    uint32_t QueryValue(uint32_t hive, const std::string& path, const std::string& name, uint32_t* type,
                        uint8_t* data, uint32_t* size) override {
        if (queryError) return queryError;
        const Value* v = Get(hive, path, name);
        if (!v) return ERROR_FILE_NOT_FOUND;
        if (type) *type = v->type;
        const auto actual = static_cast<uint32_t>(v->data.size());
        if (data && *size < actual) {
            *size = actual;
            return ERROR_MORE_DATA;
        }
        if (data) std::copy(v->data.begin(), v->data.end(), data);
        *size = actual;
        return ERROR_SUCCESS;
    }
    uint32_t CreateKey(uint32_t hive, const std::string& path) override {
        if (createError) return createError;
        keys[{hive, Fold(path)}];
        return ERROR_SUCCESS;
    }
    uint32_t SetValue(uint32_t hive, const std::string& path, const std::string& name, uint32_t type,
                      const uint8_t* data, uint32_t size) override {
        if (setError) return setError;
        Put(hive, path, name, type, std::vector<uint8_t>(data, data + size));
        return ERROR_SUCCESS;
    }
    std::string LastErrorDetail() const override { return detail; }

private:
    static std::string Fold(std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }
};

class RecordingBox : public IMessageBox {
public:
    struct Shown {
        std::string text, caption;
        unsigned flags;
    };
    std::vector<Shown> shown;
    int Show(const std::string& text, const std::string& caption, unsigned flags) override {
        shown.push_back({text, caption, flags});
        return IDOK;
    }
};

}  // namespace tarvik::test
