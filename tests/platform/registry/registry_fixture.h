// The registry test fixture under the name the command-line tool tests include
// (they reach it through this folder and link the platform runtime alone).
#pragma once

#include "../../support/registry_test.h"
