// The C++ library's own copy of std::string's members is compiled with
// exceptions: linking it brings the library's whole exception machinery
// along. Instantiated here, the members are compiled like the rest of the
// program, and what they would throw ends the process (fatal_errors.cpp).
#include <string>

#if defined(__GLIBCXX__)
template class std::basic_string<char>;
#endif
