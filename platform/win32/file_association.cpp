#include "platform/file_association.h"

#include <array>
#include <cwchar>

#include "platform/win32/utf16.h"

namespace zenvira::platform {

namespace {

struct RegistryPlace {
    HKEY root = nullptr;
    std::wstring key;        // below the root, without a trailing "\"
    std::wstring valueName;  // empty: the key's default value
    bool namesKey = false;   // the path ended in "\"
};

HKEY rootNamed(const std::wstring& name) {
    struct Root {
        const wchar_t* shortName;
        const wchar_t* longName;
        HKEY key;
    };
    static const std::array<Root, 5> roots{{
        {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", L"HKEY_USERS", HKEY_USERS},
        {L"HKCC", L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    }};
    for (const Root& root : roots)
        if (_wcsicmp(name.c_str(), root.shortName) == 0 || _wcsicmp(name.c_str(), root.longName) == 0) return root.key;
    return nullptr;
}

bool parsePlace(const std::string& path, RegistryPlace& place, std::string& error) {
    const std::wstring text = win32::wide(path);
    const auto firstSeparator = text.find(L'\\');
    place.root = rootNamed(text.substr(0, firstSeparator));
    if (!place.root || firstSeparator == std::wstring::npos) {
        error = "Not a registry path: " + path;
        return false;
    }
    const std::wstring rest = text.substr(firstSeparator + 1);
    place.namesKey = rest.empty() || rest.back() == L'\\';
    if (place.namesKey) {
        place.key = rest.empty() ? rest : rest.substr(0, rest.size() - 1);
    } else {
        const auto lastSeparator = rest.rfind(L'\\');
        place.key = lastSeparator == std::wstring::npos ? std::wstring() : rest.substr(0, lastSeparator);
        place.valueName = lastSeparator == std::wstring::npos ? rest : rest.substr(lastSeparator + 1);
    }
    return true;
}

bool failed(LSTATUS status, std::string& error) {
    if (status == ERROR_SUCCESS) return false;
    error = win32::systemReason(static_cast<DWORD>(status));
    return true;
}

}  // namespace

AssociationStore associationStore() { return AssociationStore::Registry; }

bool registryWrite(const std::string& path, const std::string& value, std::string& error) {
    RegistryPlace place;
    if (!parsePlace(path, place, error)) return false;
    HKEY key = nullptr;
    if (failed(::RegCreateKeyExW(place.root, place.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                 nullptr, &key, nullptr),
               error))
        return false;
    const std::wstring data = win32::wide(value);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = ::RegSetValueExW(key, place.valueName.empty() ? nullptr : place.valueName.c_str(), 0,
                                            REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes);
    ::RegCloseKey(key);
    return !failed(status, error);
}

bool registryDelete(const std::string& path, std::string& error) {
    RegistryPlace place;
    if (!parsePlace(path, place, error)) return false;
    if (place.namesKey) {
        if (place.key.empty()) {
            error = "A registry root cannot be deleted";
            return false;
        }
        // Given a subkey, the tree call removes that key itself along with everything below it.
        return !failed(::RegDeleteTreeW(place.root, place.key.c_str()), error);
    }
    HKEY key = nullptr;
    if (failed(::RegOpenKeyExW(place.root, place.key.c_str(), 0, KEY_SET_VALUE, &key), error)) return false;
    const LSTATUS status = ::RegDeleteValueW(key, place.valueName.c_str());
    ::RegCloseKey(key);
    return !failed(status, error);
}

XdgFolders xdgFolders() { return {}; }

bool refreshMimeDatabase(const std::string&, std::string& error) {
    error = "This system keeps file types in the registry";
    return false;
}

bool refreshDesktopDatabase(const std::string&, std::string& error) {
    error = "This system keeps file types in the registry";
    return false;
}

}  // namespace zenvira::platform
