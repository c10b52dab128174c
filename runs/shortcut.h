// The Start-menu entry for the game's launcher, made at the end of an
// extract run.
#pragma once

#include <string>

#include "fileops/file_ops.h"

// destination: the game folder without its trailing '\'.
void MakeStartMenuShortcut(FileOps& ops, const std::string& destination, const std::string& title);
