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

using hive::FileId;
using hive::HiveDocument;
using hive::HiveFileContents;

// What this process has already told the user about hive files, so that each thing is told once
// per run: a file failing with a code (an unreadable hive would otherwise give a box for every
// setting), and a version of a file whose skipped lines were reported.
struct Told {
    std::mutex mutex;
    std::set<std::pair<std::string, uint32_t>> failures;
    std::set<FileId> skipped;
};

Told& alreadyTold() {
    static Told told;
    return told;
}

template <typename Key>
bool firstTime(std::set<Key>& told, const Key& key) {
    std::lock_guard<std::mutex> guard(alreadyTold().mutex);
    return told.insert(key).second;
}

// At most this many skipped lines are listed one by one.
constexpr size_t ListedLines = 5;

std::string skippedText(const std::string& path, const std::vector<hive::SkippedLine>& skipped,
                        const std::string& keptAs) {
    const size_t n = skipped.size();
    std::string text = path + ": " + std::to_string(n) + (n == 1 ? " line" : " lines") + " could not be read and " +
                       (n == 1 ? "was" : "were") + " skipped; every other value was read.";
    for (size_t i = 0; i < n && i < ListedLines; ++i) {
        text += "\nline " + std::to_string(skipped[i].line) + ": " + skipped[i].why;
    }
    if (n > ListedLines) text += "\n(and " + std::to_string(n - ListedLines) + " more)";
    if (keptAs.empty()) return text + "\nBefore Tarvik first changes the file, it keeps a copy of it as it is now.";
    return text + "\nThe file as it was is kept as " + keptAs + ".";
}

// What someone refused a change of the machine's hive can do about it. That hive holds the port
// numbers, which everyone allowed to use the serial lines should be able to choose: its folder
// belongs to their group.
std::string portSettingsAdvice(const std::string& path) {
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

std::string rootName(uint32_t hive) { return hive == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER"; }

// Parses a file already read; false with the reason when it is no hive.
bool parseFile(const HiveFileContents& file, HiveDocument& doc, std::string& why) {
    doc = HiveDocument(doc.root());
    if (!file.exists) return true;
    if (!file.regular) {
        why = "not a regular file";
        return false;
    }
    if (file.tooLarge) {
        why = "far too large for a settings file";
        return false;
    }
    return hive::parseHiveText(file.bytes, doc, why);
}

}  // namespace

// Most calls find a file exactly as the previous call did (a setting read opens its file up to
// four times), so the bytes are compared rather than parsed again.
struct FileHiveStore::Parsed {
    std::string path;
    std::string bytes;
    bool ok = false;
    std::string why;
    HiveDocument doc{""};
};

FileHiveStore::FileHiveStore() = default;
FileHiveStore::~FileHiveStore() = default;

bool FileHiveStore::parse(const std::string& path, const HiveFileContents& file, HiveDocument& doc, std::string& why) {
    if (!file.exists || !file.regular || file.tooLarge) return parseFile(file, doc, why);
    std::unique_ptr<Parsed>& last = m_parsed[doc.root() == rootName(HKEY_LOCAL_MACHINE) ? 1 : 0];
    if (last && last->path == path && last->bytes == file.bytes && last->doc.root() == doc.root()) {
        doc = last->doc;
        if (!last->ok) why = last->why;
        return last->ok;
    }
    const bool ok = parseFile(file, doc, why);
    if (!last) last = std::make_unique<Parsed>();
    *last = Parsed{path, file.bytes, ok, ok ? std::string() : why, doc};
    return ok;
}

void FileHiveStore::begin() {
    m_detail.clear();
    m_notice.clear();
    m_repeated = false;
    m_writingShared = false;
}

uint32_t FileHiveStore::failed(const std::string& path, uint32_t code) {
    m_repeated = !firstTime(alreadyTold().failures, {path, code});
    if (m_detail.empty()) {
        m_detail = m_writingShared && code == ERROR_ACCESS_DENIED ? portSettingsAdvice(path) : "Settings file: " + path;
    }
    m_detail += "\nThis failure is not reported again until Tarvik restarts.";
    return code;
}

void FileHiveStore::noteSkipped(const std::string& path, const HiveFileContents& file, const HiveDocument& doc,
                                const std::string& keptAs) {
    if (doc.skipped.empty() || !firstTime(alreadyTold().skipped, file.id)) return;
    m_notice = skippedText(path, doc.skipped, keptAs);
}

uint32_t FileHiveStore::unreadable(const std::string& path, const HiveFileContents& file, const std::string& why,
                                   bool locked) {
    if (file.regular && locked) {
        std::string keptAs;
        int err = 0;
        // Moved away, the file cannot fail again: this is always news.
        if (hive::moveAside(path, keptAs, err)) {
            m_detail = "The unreadable file (" + why + ") was kept as " + keptAs + ".";
            return ERROR_BADDB;
        }
        m_detail = "The unreadable file " + path + " (" + why + ") could not be moved aside (" + std::strerror(err) +
                   ") and was left as it is.";
    } else {
        m_detail = "The unreadable file " + path + " (" + why + ") was left as it is.";
    }
    return failed(path, ERROR_BADDB);
}

uint32_t FileHiveStore::load(uint32_t hive, HiveDocument& doc) {
    begin();
    std::string path = hive::hiveFilePath(hive);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    path = hive::resolveLinks(path);
    const bool shared = hive::isSharedHive(hive);

    // Without a lock file (a folder we may not write) reading still works: replacing by rename
    // means a reader always sees a whole file.
    hive::HiveLock lock;
    (void)lock.acquire(path, false, shared);
    HiveFileContents file;
    std::string why;
    for (bool exclusive : {false, true}) {
        if (exclusive) {
            // Look again under the exclusive lock before moving anything: another process may
            // have set the file aside and written a fresh one meanwhile.
            lock.release();
            if (lock.acquire(path, true, shared) != ERROR_SUCCESS) break;
        }
        if (const uint32_t code = hive::readHiveFile(path, file); code != ERROR_SUCCESS) return failed(path, code);
        if (parse(path, file, doc, why)) {
            noteSkipped(path, file, doc, "");
            return ERROR_SUCCESS;
        }
    }
    doc = HiveDocument(doc.root());
    return unreadable(path, file, why, lock.held());
}

template <typename Change>
uint32_t FileHiveStore::modify(uint32_t hive, Change change) {
    begin();
    std::string path = hive::hiveFilePath(hive);
    if (path.empty()) return ERROR_INVALID_HANDLE;
    path = hive::resolveLinks(path);
    const bool shared = hive::isSharedHive(hive);
    m_writingShared = shared;

    if (const uint32_t code = hive::ensureHiveFolder(path, shared); code != ERROR_SUCCESS) return failed(path, code);
    hive::HiveLock lock;
    if (const uint32_t code = lock.acquire(path, true, shared); code != ERROR_SUCCESS) return failed(path, code);
    HiveFileContents file;
    if (const uint32_t code = hive::readHiveFile(path, file); code != ERROR_SUCCESS) return failed(path, code);
    if (const uint32_t code = hive::checkWritable(path, file); code != ERROR_SUCCESS) return failed(path, code);
    HiveDocument doc(rootName(hive));
    std::string why;
    // A file we cannot read is never replaced: it goes aside first, and this write fails.
    if (!parse(path, file, doc, why)) return unreadable(path, file, why, true);
    bool changed = false;
    if (const uint32_t code = change(doc, changed); code != ERROR_SUCCESS) return code;
    std::string keptAs;
    // The rewrite leaves out the lines that could not be read: keep them first.
    if (changed && !doc.skipped.empty()) {
        if (const uint32_t code = hive::keepCopy(path, file, keptAs); code != ERROR_SUCCESS) return failed(path, code);
    }
    noteSkipped(path, file, doc, keptAs);
    if (!changed) return ERROR_SUCCESS;
    const uint32_t code = hive::replaceHiveFile(path, hive::formatHiveText(doc), file, shared);
    return code == ERROR_SUCCESS ? code : failed(path, code);
}

uint32_t FileHiveStore::openKey(uint32_t hive, const std::string& keyPath) {
    HiveDocument doc(rootName(hive));
    if (const uint32_t code = load(hive, doc); code != ERROR_SUCCESS) return code;
    return doc.keyExists(keyPath) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

uint32_t FileHiveStore::queryValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t* type,
                                   uint8_t* data, uint32_t* size) {
    if (data && !size) return ERROR_INVALID_PARAMETER;
    HiveDocument doc(rootName(hive));
    if (const uint32_t code = load(hive, doc); code != ERROR_SUCCESS) return code;
    const hive::HiveKey* key = doc.findKey(keyPath);
    const hive::HiveValue* value = key ? HiveDocument::findValue(*key, name) : nullptr;
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

uint32_t FileHiveStore::createKey(uint32_t hive, const std::string& keyPath) {
    if (!hive::isStorableName(keyPath)) return ERROR_INVALID_PARAMETER;
    return modify(hive, [&](HiveDocument& doc, bool& changed) {
        if (!doc.keyExists(keyPath)) {
            doc.addKey(keyPath);
            changed = true;
        }
        return ERROR_SUCCESS;
    });
}

uint32_t FileHiveStore::setValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                                 const uint8_t* data, uint32_t size) {
    if (!hive::isStorableName(keyPath) || !hive::isStorableName(name) || (!data && size > 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    hive::HiveValue value;
    value.type = type;
    if (size > 0) value.data.assign(data, data + size);
    return modify(hive, [&](HiveDocument& doc, bool& changed) {
        hive::HiveKey& key = doc.addKey(keyPath, &changed);
        const hive::HiveValue* old = HiveDocument::findValue(key, name);
        // Storing what is already there would only cost two flushes to disk.
        if (old && !old->verbatimWide && old->type == value.type && old->data == value.data) return ERROR_SUCCESS;
        HiveDocument::setValue(key, name, std::move(value));
        changed = true;
        return ERROR_SUCCESS;
    });
}

}  // namespace tarvik
