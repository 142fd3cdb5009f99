// The firmware package actions.
#pragma once

// Letter G: copies the CUST image out of a DFAT container.
void extract_cust_partition();

// Letter H: has the web-download library unpack a WDB package.
void extract_wdb_files();

// Letter I: has the upgrade library unpack a KDZ package.
void extract_kdz_files();

// Letter J: has the upgrade library flash the phone from a CAB package.
void flash_with_assistant();
