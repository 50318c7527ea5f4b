// The demo product's identity, as its INSTALL.INF gives it to the setup.
#pragma once

#define DEMO_GROUP "Demo Product"
#define DEMO_PRODUCT_ID "DP"
#define DEMO_WINDOW_CLASS "TallgroveDemoWindow"
#define DEMO_PUBLISHER_KEY "Software\\Tallgrove"
#define DEMO_UNINSTALL_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" DEMO_GROUP
