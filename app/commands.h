#pragma once

#include "app/keys.h"

// Carries out one keyboard command on the globals, with its console lines.
void runKeyCommand(KeyCommand command);
