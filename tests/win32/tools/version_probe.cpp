// Reads a program file's version resource as Windows does for its
// properties page:
//   version_probe FILE
// prints the fixed file version as "fixed a.b.c.d", then one line per text
// value, "name<TAB>text". Exit code 0, 1 when the file has no version
// resource, 2 on bad usage.
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    if (size == 0) return 1;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(argv[1], 0, size, block.data())) return 1;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return 1;
    std::printf("fixed %u.%u.%u.%u\n", static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)),
                static_cast<unsigned>(LOWORD(fixed->dwFileVersionLS)));

    // The text values of the file's first language.
    struct translation {
        WORD language;
        WORD code_page;
    }* translations = nullptr;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof *translations)
        return 1;
    for (const wchar_t* name : {L"ProductName", L"ProductVersion", L"FileVersion", L"FileDescription",
                                L"CompanyName", L"LegalCopyright"}) {
        wchar_t query[128];
        swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations->language, translations->code_page,
                 name);
        wchar_t* text = nullptr;
        if (VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &length) && text)
            std::printf("%s\t%s\n", utf8(name).c_str(), utf8(text).c_str());
    }
    std::fflush(stdout);
    return 0;
}
