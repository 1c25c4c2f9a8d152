// Is a file in use by another program (the host or one of its modules)?
#pragma once

#include <string>

namespace bv {

// True when the file exists and another open of it exists, or when it cannot be reached;
// false for a missing file, a folder and a hidden file. Never throws.
bool FileInUso(const std::string& percorso);

// The way used where the platform's direct test is refused: whether any open descriptor of
// any visible process refers to the file. True when it cannot tell.
bool FileApertoDaProcessi(const std::string& percorso);

}  // namespace bv
