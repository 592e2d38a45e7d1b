#include "it_writer.h"
