#include "fixture_db.h"
