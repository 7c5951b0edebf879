// The identifiers of the channel updater's resources, shared by its resource script and code.
#pragma once

#define IDR_COUNTRY_NAMES 100
#define IDD_PROGRESS 101
#define IDC_STAGE 1001
#define IDC_BAR 1002
#define IDC_DETAIL 1003
