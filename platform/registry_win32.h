// The few registry calls of the program: reading one string value (the
// folders that the service's copy of the settings goes to), keeping one
// value of a key (the Run value), and the event source's key.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace orvane {

enum registry_result : int {
    registry_done = 0,
    registry_value_missing = 3,  // the key or the value does not exist
    registry_no_rights = 11,
    registry_failed = 20,        // any other failure, also a value too long or not a string
};

// Reads the REG_SZ value `name` of `key` under `hive` into `text`, without its
// terminating zero. The key is opened for reading only and never created.
int read_registry_string(HKEY hive, const std::wstring& key, const std::wstring& name, std::wstring& text);
// Reads the value `name` of `key` under `hive` as it is stored: its type
// and its bytes. A value over `limit` bytes is not read (registry_failed).
int read_registry_value(HKEY hive, const std::wstring& key, const std::wstring& name, DWORD& type,
                        std::vector<BYTE>& data, DWORD limit);
// Stores `text` as the value `name` of `key` (created when missing), a
// REG_SZ or (`type`) a REG_EXPAND_SZ.
int write_registry_string(HKEY hive, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                          DWORD type = REG_SZ);
// Stores `value` as the REG_DWORD value `name` of `key` (created when missing).
int write_registry_dword(HKEY hive, const std::wstring& key, const std::wstring& name, DWORD value);
// Deletes the value `name` of `key`; a missing key or value is no error.
int delete_registry_value(HKEY hive, const std::wstring& key, const std::wstring& name);
// Deletes `key`, which has no subkeys, with its values; a missing key is no error.
int delete_registry_key(HKEY hive, const std::wstring& key);

}  // namespace orvane
