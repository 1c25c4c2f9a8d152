// Path conventions of the platform: the separator, what a "drive" is, how a path stands in
// a message, and finding an existing name without regard to letter case.
#pragma once

#include <cstddef>
#include <string>

namespace bv {

// The folder separator: "/" on POSIX, "\" on Windows.
char Separatore();

// The drive of a path, for free-space queries and drive checks. On Windows the first two
// characters ("C:"); on POSIX the folder path itself without a final separator, or "" when
// the path is not absolute.
std::string UnitaDi(const std::string& percorso);
// Whether a drive from UnitaDi names a usable drive ("C:" on Windows, an absolute path on POSIX).
bool UnitaValida(const std::string& unita);

// A path as it stands in front of a message: upper case on Windows, unchanged on POSIX, where
// upper case would name another file.
std::string PercorsoPerMessaggio(const std::string& percorso);

// A folder as it arrives on the command line. On Windows, a quoted folder with a final
// backslash ("C:\backup\", the way the program shows folders) reaches the program as
// `C:\backup"` by the runtime's quoting rules: the quote is taken for that backslash. Unchanged
// on POSIX, where a quote is a character of a name.
std::string CartellaDaArgomento(const std::string& argomento);

// A path made absolute against the current folder, without resolving links in what the user
// wrote ("." and leading ".." taken off); an absolute path unchanged, and so the path itself
// when the current folder cannot be read. On Windows also a path relative to a drive's current
// folder ("C:dati", "\\dati"); a bare drive ("A:") stands for its root there and stays.
std::string PercorsoAssoluto(const std::string& percorso);

// Whether the system can hold a file of that name (one component, no separator): on Windows
// none of < > : " | ? * and no final dot or blank (which Windows drops: "finale." would come
// back as "finale"); on POSIX any name.
bool NomeAmmessoDalSistema(const std::string& nome);

// Whether a whole path is short enough for the calls that make or open it. On Windows the
// file system layer passes paths as they are, without the "\\?\" prefix: under MAX_PATH
// (260) UTF-16 units with the final null, and under 248 for a folder CreateDirectoryW makes
// (room for an 8.3 name). On POSIX under PATH_MAX bytes.
bool PercorsoAmmessoDalSistema(const std::string& percorso, bool cartellaDaCreare);
// The longest path PercorsoAmmessoDalSistema admits, for a message, in the units it counts.
size_t LunghezzaMassimaPercorso(bool cartellaDaCreare);

// The full name of the entry `nome` of `cartella` (which ends in a separator or is empty):
// the exact name when it exists, else the first entry equal to it ignoring letter case, as
// Windows finds it; when neither exists, the derived name itself.
std::string TrovaNome(const std::string& cartella, const std::string& nome);

// The absolute path with every link resolved, or "" when it cannot be resolved.
std::string PercorsoCanonico(const std::string& percorso);

// Whether a path lies on a removable disk the user swaps (the "Floppy A" drive).
bool SuUnitaRimovibile(const std::string& percorso);

// The folder of the "Floppy A" destination, with a final separator: "A:\" on Windows,
// $BVBACKUP_FLOPPY or /media/floppy0 on POSIX.
std::string CartellaFloppy();

}  // namespace bv
