// A module that sets the process's umask to 0777 as it starts: every file the host makes after it
// would have no permissions at all.
#include <sys/stat.h>

#include "acts_at_start.h"

void act_at_start() { umask(0777); }
