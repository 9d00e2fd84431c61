// Version numbers of the tool, shared by the resource script and the code.
#pragma once

#define VELMO_VERSION_MAJOR 1
#define VELMO_VERSION_MINOR 0
#define VELMO_VERSION_BUILD 0
#define VELMO_VERSION_REVISION 0
#define VELMO_VERSION_TEXT "1.00"
#define VELMO_PRODUCT_NAME "Velmo浏览器绿化工具"
#define VELMO_INTERNAL_NAME "Velmo浏览器绿化工具1.0"
#define VELMO_ORIGINAL_FILENAME "Velmo浏览器绿化工具1.0.exe"
