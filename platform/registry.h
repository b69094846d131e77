// The per-user registry: a hive file in the text format of registry exports.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Talmund\Quorvex\Options]
//   "Crop"=dword:00000001
//   "Margin"="0.500000"
//
// The file lives at $XDG_CONFIG_HOME/quorvex/registry.reg (~/.config when the
// variable is unset). It is read tolerantly and written whole to a temporary
// file that is renamed over it, under a lock, so a crash never leaves half a
// hive and two processes saving at once do not lose each other's values.
// Keys, values and lines the program does not own are kept as they were.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

enum class RegType { Dword, Sz };

struct RegValue {
    RegType type = RegType::Sz;
    uint32_t dword = 0;
    std::string text;  // UTF-8

    static RegValue fromDword(uint32_t v) { return {RegType::Dword, v, {}}; }
    static RegValue fromText(std::string t) { return {RegType::Sz, 0, std::move(t)}; }
    bool operator==(const RegValue&) const = default;
};

// A parsed hive: every line kept, values reachable by key path and name.
// Key paths are below HKEY_CURRENT_USER, separated by backslashes
// ("Software\\Talmund\\Quorvex\\Options"); key and value names compare without
// regard to case, as the registry does.
class RegistryHive {
public:
    RegistryHive();
    ~RegistryHive();
    RegistryHive(RegistryHive&&) noexcept;
    RegistryHive& operator=(RegistryHive&&) noexcept;

    // Parses the text of a hive file. Fails (nullopt) only when the text is
    // not a hive at all (no header line, binary data); lines inside it that
    // cannot be understood are kept as they are.
    static std::optional<RegistryHive> parse(const std::string& text);
    std::string text() const;

    bool hasKey(const std::string& keyPath) const;
    void createKey(const std::string& keyPath);
    std::optional<RegValue> get(const std::string& keyPath, const std::string& name) const;
    // Creates the key when absent; a value of that name is replaced in place.
    void set(const std::string& keyPath, const std::string& name, const RegValue& value);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class Registry {
public:
    explicit Registry(std::filesystem::path hiveFile = defaultHivePath());
    static std::filesystem::path defaultHivePath();
    const std::filesystem::path& path() const { return path_; }

    // What the hive file holds now (empty when there is no file). A file that
    // is not a hive is renamed aside ("registry.reg.damaged-YYYYMMDD-HHMMSS"),
    // never overwritten, and `problem` says so; the hive is then empty.
    RegistryHive read(std::string* problem = nullptr) const;

    // Read-modify-write under the hive's lock: `change` edits the current hive
    // and returns whether to write it; the file is replaced atomically. False
    // (errno set) when the file could not be written; `problem` as for read().
    bool update(const std::function<bool(RegistryHive&)>& change, std::string* problem = nullptr) const;

private:
    std::filesystem::path path_;
};

}  // namespace qv::platform
