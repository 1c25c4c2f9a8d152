// Documents on Windows: the shell opens them with their associated program.
#include <windows.h>

#include <shellapi.h>

#include "platform/documento.h"
#include "platform/filesystem.h"
#include "platform/testo_win32.h"

namespace bv {

std::optional<int> ApriDocumentoDiSistema(const std::string& file) {
    const std::wstring cartella = Largo(CartellaDi(file));
    const HINSTANCE r = ::ShellExecuteW(nullptr, L"open", Largo(file).c_str(), nullptr,
                                        cartella.empty() ? nullptr : cartella.c_str(), SW_SHOWNORMAL);
    return static_cast<int>(reinterpret_cast<intptr_t>(r));
}

}  // namespace bv
