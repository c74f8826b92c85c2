/* The portable build has no Windows top-level windows. */
#include "window.h"

int WindowClassExists(const char *class_name)
{
    (void)class_name;
    return 0;
}
