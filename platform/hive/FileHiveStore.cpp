#include "platform/hive/FileHiveStore.h"

#include <cstring>
#include <mutex>
#include <set>

#include "common/Win32Codes.h"
#include "platform/hive/HiveDocument.h"
#include "platform/hive/HiveFile.h"
#include "platform/hive/HiveText.h"

namespace tarvik {
namespace {

using hive::CHiveDocument;
using hive::FileId;
using hive::HiveFileContents;

// Unreadable files that could not be moved aside (a read-only folder, a folder in the file's
// place) and were already reported: from then on this process treats the hive as empty instead
// of reporting the same file on every read.
std::mutex g_reportedMutex;
std::set<FileId> g_reported;

void RememberReported(const FileId& id) {
    std::lock_guard<std::mutex> guard(g_reportedMutex);
    g_reported.insert(id);
}

bool WasReported(const FileId& id) {
    std::lock_guard<std::mutex> guard(g_reportedMutex);
    return g_reported.count(id) != 0;
}

std::string RootName(uint32_t hive) { return hive == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER"; }

// Parses a file already read; false with the reason when it is no hive.
bool ParseFile(const HiveFileContents& file, CHiveDocument& doc, std::string& why) {
    doc = CHiveDocument(doc.Root());
    if (!file.exists) return true;
    if (!file.regular) {
        why = "not a regular file";
        return false;
    }
    if (file.tooLarge) {
        why = "far too large for a settings file";
        return false;
    }
    return hive::ParseHiveText(file.bytes, doc, why);
}

}  // namespace

uint32_t CFileHiveStore::Unreadable(const std::string& path, const HiveFileContents& file, const std::string& why,
                                    bool locked) {
    if (file.regular && locked) {
        std::string keptAs;
        int err = 0;
        if (hive::MoveAside(path, keptAs, err)) {
            detail_ = "The unreadable file (" + why + ") was kept as " + keptAs + ".";
            return ERROR_BADDB;
        }
        detail_ = "The unreadable file " + path + " (" + why + ") could not be moved aside (" + std::strerror(err) +
                  ") and was left as it is.";
    } else {
        detail_ = "The unreadable file " + path + " (" + why + ") was left as it is.";
    }
    RememberReported(file.id);
    return ERROR_BADDB;
}

uint32_t CFileHiveStore::Load(uint32_t hive, CHiveDocument& doc) {
    detail_.clear();
    std::string path = hive::HiveFilePath(hive);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    path = hive::ResolveLinks(path);
    const bool shared = hive::IsSharedHive(hive);

    // Without a lock file (a folder we may not write) reading still works: replacing by rename
    // means a reader always sees a whole file.
    hive::CHiveLock lock;
    (void)lock.Acquire(path, false, shared);
    HiveFileContents file;
    if (const uint32_t code = hive::ReadHiveFile(path, file); code != ERROR_SUCCESS) return code;
    if (file.exists && WasReported(file.id)) return ERROR_SUCCESS;
    std::string why;
    if (ParseFile(file, doc, why)) return ERROR_SUCCESS;

    // Look again under the exclusive lock before moving anything: another process may have
    // set the file aside and written a fresh one meanwhile.
    lock.Release();
    const bool locked = lock.Acquire(path, true, shared) == ERROR_SUCCESS;
    if (const uint32_t code = hive::ReadHiveFile(path, file); code != ERROR_SUCCESS) return code;
    if (file.exists && WasReported(file.id)) return ERROR_SUCCESS;
    if (ParseFile(file, doc, why)) return ERROR_SUCCESS;
    doc = CHiveDocument(doc.Root());
    return Unreadable(path, file, why, locked);
}

template <typename Change>
uint32_t CFileHiveStore::Modify(uint32_t hive, Change change) {
    detail_.clear();
    std::string path = hive::HiveFilePath(hive);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    path = hive::ResolveLinks(path);
    const bool shared = hive::IsSharedHive(hive);

    if (const uint32_t code = hive::EnsureHiveFolder(path, shared); code != ERROR_SUCCESS) return code;
    hive::CHiveLock lock;
    if (const uint32_t code = lock.Acquire(path, true, shared); code != ERROR_SUCCESS) return code;
    HiveFileContents file;
    if (const uint32_t code = hive::ReadHiveFile(path, file); code != ERROR_SUCCESS) return code;
    if (const uint32_t code = hive::CheckWritable(path, file); code != ERROR_SUCCESS) return code;
    CHiveDocument doc(RootName(hive));
    std::string why;
    // A file we cannot read is never replaced: it goes aside first, and this write fails.
    if (!ParseFile(file, doc, why)) return Unreadable(path, file, why, true);
    bool changed = false;
    if (const uint32_t code = change(doc, changed); code != ERROR_SUCCESS) return code;
    if (!changed) return ERROR_SUCCESS;
    return hive::ReplaceHiveFile(path, hive::FormatHiveText(doc), file, shared);
}

uint32_t CFileHiveStore::OpenKey(uint32_t hive, const std::string& keyPath) {
    CHiveDocument doc(RootName(hive));
    if (const uint32_t code = Load(hive, doc); code != ERROR_SUCCESS) return code;
    return doc.KeyExists(keyPath) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

uint32_t CFileHiveStore::QueryValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t* type,
                                    uint8_t* data, uint32_t* size) {
    if (data && !size) return ERROR_INVALID_PARAMETER;
    CHiveDocument doc(RootName(hive));
    if (const uint32_t code = Load(hive, doc); code != ERROR_SUCCESS) return code;
    const hive::HiveKey* key = doc.FindKey(keyPath);
    const hive::HiveValue* value = key ? CHiveDocument::FindValue(*key, name) : nullptr;
    if (!value) return ERROR_FILE_NOT_FOUND;
    const auto actual = static_cast<uint32_t>(value->data.size());
    if (type) *type = value->type;
    if (!size) return ERROR_SUCCESS;
    if (data && *size < actual) {
        *size = actual;
        return ERROR_MORE_DATA;
    }
    if (data && actual > 0) std::memcpy(data, value->data.data(), actual);
    *size = actual;
    return ERROR_SUCCESS;
}

uint32_t CFileHiveStore::CreateKey(uint32_t hive, const std::string& keyPath) {
    if (!hive::IsStorableName(keyPath)) return ERROR_INVALID_PARAMETER;
    return Modify(hive, [&](CHiveDocument& doc, bool& changed) {
        if (!doc.KeyExists(keyPath)) {
            doc.AddKey(keyPath);
            changed = true;
        }
        return ERROR_SUCCESS;
    });
}

uint32_t CFileHiveStore::SetValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                                  const uint8_t* data, uint32_t size) {
    if (!hive::IsStorableName(keyPath) || !hive::IsStorableName(name) || (!data && size > 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    hive::HiveValue value;
    value.type = type;
    if (size > 0) value.data.assign(data, data + size);
    return Modify(hive, [&](CHiveDocument& doc, bool& changed) {
        hive::HiveKey& key = doc.AddKey(keyPath, &changed);
        const hive::HiveValue* old = CHiveDocument::FindValue(key, name);
        // Storing what is already there would only cost two flushes to disk.
        if (old && !old->verbatimWide && old->type == value.type && old->data == value.data) return ERROR_SUCCESS;
        CHiveDocument::SetValue(key, name, std::move(value));
        changed = true;
        return ERROR_SUCCESS;
    });
}

}  // namespace tarvik
