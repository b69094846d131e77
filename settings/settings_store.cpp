#include "settings/settings_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/profile_file.h"

namespace qv {

namespace {

bool writesFile(SettingsFile file) {
    return file && !file->empty();
}

// A file that exists but cannot be read must not be replaced by one holding only our values.
bool readableOrMissing(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return errno == ENOENT;
}

}  // namespace

void SettingsStore::reportProblem(const std::string& problem) const {
    if (!problem.empty()) ui_.ShowError(0, "%s", problem.c_str());
}

void SettingsStore::readSession(SettingsFile file,
                                const std::function<void(SettingsValues&)>& work) const {
    if (file) {
        platform::ProfileDocument document = platform::ProfileDocument::load(std::string(*file));
        DocumentValues values(document, std::string(*file), ui_);
        work(values);
        return;
    }
    std::string problem;
    platform::RegistryHive hive = registry_.read(&problem);
    reportProblem(problem);
    HiveValues values(hive, root_);
    work(values);
}

bool SettingsStore::writeSession(SettingsFile file,
                                 const std::function<bool(SettingsValues&)>& work) const {
    if (writesFile(file)) {
        const std::string path(*file);
        platform::ProfileDocument document;
        DocumentValues values(document, path, ui_);
        if (!readableOrMissing(path)) {
            values.reportWriteFailure();
            return false;
        }
        document = platform::ProfileDocument::load(path);
        return work(values) && values.save();
    }
    // Only what the registry found while reading the hive is reported (a damaged hive moved
    // aside); a hive that could not be written is the caller's to handle.
    bool done = false;
    std::string problem;
    std::string readProblem;
    const bool written = registry_.update(
        [&](platform::RegistryHive& hive) {
            readProblem = problem;
            HiveValues values(hive, root_);
            done = work(values);
            return done;
        },
        &problem);
    if (readProblem.empty() && written) readProblem = problem;
    reportProblem(readProblem);
    return done && written;
}

bool SettingsStore::OpenSettingsKey(std::string_view subkey, bool create) const {
    if (create) {
        return writeSession(std::nullopt,
                            [&](SettingsValues& v) { return v.OpenSettingsKey(subkey, true); });
    }
    bool open = false;
    readSession(std::nullopt, [&](SettingsValues& v) { open = v.OpenSettingsKey(subkey, false); });
    return open;
}

std::int32_t SettingsStore::ReadIntValue(std::string_view subkey, std::string_view name,
                                         SettingsFile file, std::int32_t defaultValue) const {
    std::int32_t result = defaultValue;
    readSession(file,
                [&](SettingsValues& v) { result = v.ReadIntValue(subkey, name, defaultValue); });
    return result;
}

std::string SettingsStore::ReadTextValue(std::string_view subkey, std::string_view name,
                                         SettingsFile file, std::string_view defaultValue) const {
    std::string result(defaultValue);
    readSession(file,
                [&](SettingsValues& v) { result = v.ReadTextValue(subkey, name, defaultValue); });
    return result;
}

double SettingsStore::ReadRealValue(std::string_view subkey, std::string_view name,
                                    SettingsFile file, double defaultValue) const {
    double result = defaultValue;
    readSession(file,
                [&](SettingsValues& v) { result = v.ReadRealValue(subkey, name, defaultValue); });
    return result;
}

bool SettingsStore::WriteIntValue(std::string_view subkey, std::string_view name, SettingsFile file,
                                  std::int32_t value) const {
    return writeSession(file,
                        [&](SettingsValues& v) { return v.WriteIntValue(subkey, name, value); });
}

bool SettingsStore::WriteTextValue(std::string_view subkey, std::string_view name,
                                   SettingsFile file, std::string_view text) const {
    return writeSession(file,
                        [&](SettingsValues& v) { return v.WriteTextValue(subkey, name, text); });
}

bool SettingsStore::WriteRealValue(std::string_view subkey, std::string_view name,
                                   SettingsFile file, double value) const {
    return writeSession(file,
                        [&](SettingsValues& v) { return v.WriteRealValue(subkey, name, value); });
}

bool SettingsStore::AddJobsToStatistics(std::int32_t jobs) const {
    return writeSession(std::nullopt, [&](SettingsValues& v) {
        // Counted modulo 2^32, as the stored 32-bit value is.
        const std::uint32_t stored =
            static_cast<std::uint32_t>(v.ReadIntValue("Statistics", "Jobs", 0));
        const std::uint32_t total = stored + static_cast<std::uint32_t>(jobs);
        return v.WriteIntValue("Statistics", "Jobs", static_cast<std::int32_t>(total));
    });
}

}  // namespace qv
