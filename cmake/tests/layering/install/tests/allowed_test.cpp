// Tests may use the system directly.
#include <unistd.h>
