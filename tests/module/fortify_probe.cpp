// Built with the flags that every program and library here gets. With
// _FORTIFY_SOURCE, a copy of a length the compiler cannot know into a buffer
// whose size it does goes through __memcpy_chk, which check_hardening.sh
// looks for among the imports. The project's own calls that the C library
// could check (memcpy, readlink, pread) all write through pointers whose
// size only the caller knows, so at level 2 none of them becomes a *_chk
// call.
#include <cstdio>
#include <cstring>

// Prints the first argc characters of the program's name (one, when run
// without arguments).
int main(int argc, char **argv)
{
    char name[16] = {};
    std::memcpy(name, argv[0], static_cast<size_t>(argc));
    return std::puts(name) < 0;
}
