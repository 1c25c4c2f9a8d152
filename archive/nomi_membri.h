// The member-name policy: which names a member of an archive may have, each on its own and all
// together, so that extracting them writes only inside the target folder, only plain files
// and folders, and only names this system can hold as they are.
#pragma once

#include <string>
#include <vector>

namespace bv {

// Whether a name holds control characters (below 32, or 127): no member may.
bool HaCaratteriDiControllo(const std::string& nome);
// Whether a component of a name is one Windows reserves for a device (CON, NUL.txt, COM1):
// no file of that name can be made there, so no member may have it.
bool NomeRiservatoAUnDispositivo(const std::string& nome);

// Whether one component of a name begins or ends with a blank, or ends with a dot: Windows
// drops them (a file made as "x." is "x" there), so no set may hold one, made on any system.
// "." and ".." are steps of a path, not names: not refused here.
bool BordoNonAmmesso(const std::string& componente);

// Whether a member name stays inside the target folder: not absolute, no drive letter, no
// ".." component (with "/" or "\" as separators), not empty.
bool NomeMembroSicuro(const std::string& nome);

// A member as the policy sees it.
struct MembroDaControllare {
    std::string nome;           // as the library gives it
    std::string grezzo;         // as stored (a byte below 32 of a non-UTF-8 name shows only here)
    bool collegamento = false;  // recorded as a symbolic link
    bool nonOrdinario = false;  // recorded as a pipe, a device, a socket
};

// Why a set of members cannot be extracted safely ("member: reason", "" when it can): each name
// on its own, then the names together (one name for a file and a folder, names equal but for
// case, names of one file once "." and empty components are dropped and "\" read as "/").
std::string MotivoRifiuto(const std::vector<MembroDaControllare>& membri);

}  // namespace bv
