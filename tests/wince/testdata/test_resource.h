// Identifiers of the layer tests' own resource script.
#ifndef KEPLA_TESTS_WINCE_TESTDATA_TEST_RESOURCE_H_
#define KEPLA_TESTS_WINCE_TESTDATA_TEST_RESOURCE_H_

#define IDS_T_HELLO 1
#define IDS_T_EMPTY 2
#define IDS_T_ACCENT 15
#define IDS_T_NEXT_BLOCK 16
#define IDS_T_LONG 300

#define IDD_T_PAGE 100
#define IDC_T_LABEL 10
#define IDC_T_BAR 11
#define IDC_T_OK 12

#define IDM_T_SOFTKEYS 200
#define IDM_T_NESTED 201
#define IDM_T_LEFT 5001
#define IDM_T_RIGHT 5002
#define IDM_T_OPEN 5003
#define IDM_T_SAVE 5004
#define IDM_T_DEEP 5005
#define IDM_T_QUIT 5006

#endif  // KEPLA_TESTS_WINCE_TESTDATA_TEST_RESOURCE_H_
