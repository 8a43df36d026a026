#include "settings/FileHiveStore.h"

#include <unistd.h>

#include <cstring>
#include <mutex>
#include <set>

#include "common/Win32Codes.h"
#include "settings/HiveDocument.h"
#include "settings/HiveFile.h"
#include "settings/HiveText.h"

namespace tarvik {
namespace {

using hive::CHiveDocument;
using hive::FileId;
using hive::HiveFileContents;

// What this process has already told the user about hive files, so that each thing is told once
// per run: a file failing with a code (an unreadable hive would otherwise give a box for every
// setting), and a version of a file whose skipped lines were reported.
struct Told {
    std::mutex mutex;
    std::set<std::pair<std::string, uint32_t>> failures;
    std::set<FileId> skipped;
};

Told& AlreadyTold() {
    static Told told;
    return told;
}

template <typename Key>
bool FirstTime(std::set<Key>& told, const Key& key) {
    std::lock_guard<std::mutex> guard(AlreadyTold().mutex);
    return told.insert(key).second;
}

// At most this many skipped lines are listed one by one.
constexpr size_t kListedLines = 5;

std::string SkippedText(const std::string& path, const std::vector<hive::SkippedLine>& skipped,
                        const std::string& keptAs) {
    const size_t n = skipped.size();
    std::string text = path + ": " + std::to_string(n) + (n == 1 ? " line" : " lines") + " could not be read and " +
                       (n == 1 ? "was" : "were") + " skipped; every other value was read.";
    for (size_t i = 0; i < n && i < kListedLines; ++i) {
        text += "\nline " + std::to_string(skipped[i].line) + ": " + skipped[i].why;
    }
    if (n > kListedLines) text += "\n(and " + std::to_string(n - kListedLines) + " more)";
    if (keptAs.empty()) return text + "\nBefore Tarvik first changes the file, it keeps a copy of it as it is now.";
    return text + "\nThe file as it was is kept as " + keptAs + ".";
}

// What someone refused a change of the machine's hive can do about it. That hive holds the port
// numbers, which everyone allowed to use the serial lines should be able to choose: its folder
// belongs to their group.
std::string PortSettingsAdvice(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string text = "The port settings are kept in " + path +
                       ", which you may not change. To let the group dialout change them:\n    sudo install -d -m 2775 "
                       "-g dialout " +
                       dir + "\n";
    if (::access(path.c_str(), F_OK) == 0)
        text += "    sudo chgrp dialout " + path + " && sudo chmod 664 " + path + "\n";
    return text + "and to join the group (then log out and in again):\n    sudo usermod -aG dialout $USER";
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

// Most calls find a file exactly as the previous call did (a setting read opens its file up to
// four times), so the bytes are compared rather than parsed again.
struct CFileHiveStore::Parsed {
    std::string path;
    std::string bytes;
    bool ok = false;
    std::string why;
    CHiveDocument doc{""};
};

CFileHiveStore::CFileHiveStore() = default;
CFileHiveStore::~CFileHiveStore() = default;

bool CFileHiveStore::Parse(const std::string& path, const HiveFileContents& file, CHiveDocument& doc,
                           std::string& why) {
    if (!file.exists || !file.regular || file.tooLarge) return ParseFile(file, doc, why);
    std::unique_ptr<Parsed>& last = parsed_[doc.Root() == RootName(HKEY_LOCAL_MACHINE) ? 1 : 0];
    if (last && last->path == path && last->bytes == file.bytes && last->doc.Root() == doc.Root()) {
        doc = last->doc;
        if (!last->ok) why = last->why;
        return last->ok;
    }
    const bool ok = ParseFile(file, doc, why);
    if (!last) last = std::make_unique<Parsed>();
    *last = Parsed{path, file.bytes, ok, ok ? std::string() : why, doc};
    return ok;
}

void CFileHiveStore::Begin() {
    detail_.clear();
    notice_.clear();
    repeated_ = false;
    writingShared_ = false;
}

uint32_t CFileHiveStore::Failed(const std::string& path, uint32_t code) {
    repeated_ = !FirstTime(AlreadyTold().failures, {path, code});
    if (detail_.empty()) {
        detail_ = writingShared_ && code == ERROR_ACCESS_DENIED ? PortSettingsAdvice(path) : "Settings file: " + path;
    }
    detail_ += "\nThis failure is not reported again until Tarvik restarts.";
    return code;
}

void CFileHiveStore::NoteSkipped(const std::string& path, const HiveFileContents& file, const CHiveDocument& doc,
                                 const std::string& keptAs) {
    if (doc.skipped.empty() || !FirstTime(AlreadyTold().skipped, file.id)) return;
    notice_ = SkippedText(path, doc.skipped, keptAs);
}

uint32_t CFileHiveStore::Unreadable(const std::string& path, const HiveFileContents& file, const std::string& why,
                                    bool locked) {
    if (file.regular && locked) {
        std::string keptAs;
        int err = 0;
        // Moved away, the file cannot fail again: this is always news.
        if (hive::MoveAside(path, keptAs, err)) {
            detail_ = "The unreadable file (" + why + ") was kept as " + keptAs + ".";
            return ERROR_BADDB;
        }
        detail_ = "The unreadable file " + path + " (" + why + ") could not be moved aside (" + std::strerror(err) +
                  ") and was left as it is.";
    } else {
        detail_ = "The unreadable file " + path + " (" + why + ") was left as it is.";
    }
    return Failed(path, ERROR_BADDB);
}

uint32_t CFileHiveStore::Load(uint32_t hive, CHiveDocument& doc) {
    Begin();
    std::string path = hive::HiveFilePath(hive);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    path = hive::ResolveLinks(path);
    const bool shared = hive::IsSharedHive(hive);

    // Without a lock file (a folder we may not write) reading still works: replacing by rename
    // means a reader always sees a whole file.
    hive::CHiveLock lock;
    (void)lock.Acquire(path, false, shared);
    HiveFileContents file;
    std::string why;
    for (bool exclusive : {false, true}) {
        if (exclusive) {
            // Look again under the exclusive lock before moving anything: another process may
            // have set the file aside and written a fresh one meanwhile.
            lock.Release();
            if (lock.Acquire(path, true, shared) != ERROR_SUCCESS) break;
        }
        if (const uint32_t code = hive::ReadHiveFile(path, file); code != ERROR_SUCCESS) return Failed(path, code);
        if (Parse(path, file, doc, why)) {
            NoteSkipped(path, file, doc, "");
            return ERROR_SUCCESS;
        }
    }
    doc = CHiveDocument(doc.Root());
    return Unreadable(path, file, why, lock.Held());
}

template <typename Change>
uint32_t CFileHiveStore::Modify(uint32_t hive, Change change) {
    Begin();
    std::string path = hive::HiveFilePath(hive);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    path = hive::ResolveLinks(path);
    const bool shared = hive::IsSharedHive(hive);
    writingShared_ = shared;

    if (const uint32_t code = hive::EnsureHiveFolder(path, shared); code != ERROR_SUCCESS) return Failed(path, code);
    hive::CHiveLock lock;
    if (const uint32_t code = lock.Acquire(path, true, shared); code != ERROR_SUCCESS) return Failed(path, code);
    HiveFileContents file;
    if (const uint32_t code = hive::ReadHiveFile(path, file); code != ERROR_SUCCESS) return Failed(path, code);
    if (const uint32_t code = hive::CheckWritable(path, file); code != ERROR_SUCCESS) return Failed(path, code);
    CHiveDocument doc(RootName(hive));
    std::string why;
    // A file we cannot read is never replaced: it goes aside first, and this write fails.
    if (!Parse(path, file, doc, why)) return Unreadable(path, file, why, true);
    bool changed = false;
    if (const uint32_t code = change(doc, changed); code != ERROR_SUCCESS) return code;
    std::string keptAs;
    // The rewrite leaves out the lines that could not be read: keep them first.
    if (changed && !doc.skipped.empty()) {
        if (const uint32_t code = hive::KeepCopy(path, file, keptAs); code != ERROR_SUCCESS) return Failed(path, code);
    }
    NoteSkipped(path, file, doc, keptAs);
    if (!changed) return ERROR_SUCCESS;
    const uint32_t code = hive::ReplaceHiveFile(path, hive::FormatHiveText(doc), file, shared);
    return code == ERROR_SUCCESS ? code : Failed(path, code);
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
