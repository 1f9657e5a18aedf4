// Resource identifiers shared by crtrate.rc and the program.  Kept free of
// C++ so the resource compiler can read it.
#ifndef CRTRATE_RESOURCE_H
#define CRTRATE_RESOURCE_H

// Menu captions.
#define IDS_640_60 1
#define IDS_640_72 2
#define IDS_640_75 3
#define IDS_640_85 4
#define IDS_800_60 5
#define IDS_800_72 6
#define IDS_800_75 7
#define IDS_800_85 8
#define IDS_1024_60 9
#define IDS_1024_70 10
#define IDS_1024_75 11
#define IDS_1024_85 12
#define IDS_640_100 104
#define IDS_800_100 105
#define IDS_1280_60 107

// Box texts and captions.
#define IDS_APP_TITLE 100
#define IDS_WARNING_CAPTION 101
#define IDS_ERROR 102
#define IDS_DAMAGE_WARNING 103
#define IDS_DRIVER_MISSING 106

// Icon groups: the driver answered at start-up, or it did not.
#define IDI_DRIVER_READY 8110
#define IDI_DRIVER_MISSING 8115

#endif
