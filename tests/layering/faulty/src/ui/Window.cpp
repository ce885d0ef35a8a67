// A window reaching into the command-line tool: the layering check must refuse it.
#include "cli/Commands.h"
