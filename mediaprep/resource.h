// String table of the media installer.
#pragma once

#define IDS_TITLE 57347
#define IDS_ASK_REINSTALL 57348
#define IDS_NOT_EXTRACTED 57350
#define IDS_DXMEDIA_FAILED 57351
#define IDS_RESTART_NEEDED 57352
#define IDS_INSTALLED 57353
#define IDS_CODEC_FAILED 57354
