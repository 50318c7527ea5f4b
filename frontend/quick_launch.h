// The user's Quick Launch folder.
#pragma once

// Fills output with the Quick Launch folder's path (existence not checked),
// or leaves it empty when the shell gives no application-data folder.
void GetQuickLaunchPath(char* output, int size);
// 1 when the Quick Launch folder exists, else 0.
int QuickLaunchExists();
