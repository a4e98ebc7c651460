#pragma once

// Makes the folder that holds the program file the current directory, so that
// config.ini and update.exe are found beside it wherever it was started from.
void enterProgramFolder();
