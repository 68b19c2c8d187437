// The product's name and version, shared by the window title, the about box and the report.
#pragma once

#define PRODUCT_NAME "Halvane Devices Checker"
#define PRODUCT_VERSION "1.0.8.8"
#define PRODUCT_WEB_LINE "www.halvane.example - www.halvane-audio.example"
