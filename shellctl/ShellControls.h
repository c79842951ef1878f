#pragma once
// The shell controls of an explorer window: folder tree, file list and location combo.
#include "ShellCombo.h"
#include "ShellList.h"
#include "ShellTree.h"
