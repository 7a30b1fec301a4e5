#pragma once
// pagescript's own resources, numbered apart from QUIB's.
#define IDD_PAGESCRIPT_HOST 200
#define IDC_PAGESCRIPT_PLACEHOLDER 1001
