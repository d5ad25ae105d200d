// Resource identifiers of the manager's grid dialogs: query design, index
// editor, relation dialog, and the texts their grids show.
#pragma once

#define IDD_DB_QUERY_DESIGN 247
#define IDD_DB_INDEX_EDITOR 260
#define IDD_DB_RELATION 261

// Query design.
#define IDC_DB_QD_GRID 216
#define IDC_DB_QD_DELETE 217
#define IDC_DB_QD_NAME 218
#define IDC_DB_QD_SQL 220
#define IDC_DB_QD_OK 3
#define IDS_DB_FIELD_NAME 57642
#define IDS_DB_QD_TABLE 57694
#define IDS_DB_QD_SHOW 57695
#define IDS_DB_QD_SORT 57696
#define IDS_DB_QD_MATCH 57697
#define IDS_DB_QD_OPERATOR 57698
#define IDS_DB_QD_VALUE 57699
#define IDS_DB_QD_ASK_STORE 57700
#define IDS_DB_QD_OPS_TEXT 57701
#define IDS_DB_QD_OPS_BOOL 57702
#define IDS_DB_QD_OPS_NONE 57703
#define IDS_DB_QD_OPS_OTHER 57704
#define IDS_DB_QD_OR 57705
#define IDS_DB_QD_BAD_VALUE 57706
#define IDS_DB_QD_SQL_TITLE 57748

// Index editor.
#define IDC_DB_IX_LIST 254
#define IDC_DB_IX_NAME 255
#define IDC_DB_IX_PRIMARY 256
#define IDC_DB_IX_UNIQUE 257
#define IDC_DB_IX_REQUIRED 258
#define IDC_DB_IX_GRID 259
#define IDC_DB_IX_ADD 260
#define IDC_DB_IX_DELETE 261
#define IDC_DB_IX_CLOSE 262
#define IDS_DB_IX_ORDERS 57726
#define IDS_DB_IX_SORT 57727
#define IDS_DB_IX_NO_NAME 57728
#define IDS_DB_IX_NAME_TAKEN 57729
#define IDS_DB_IX_SELECT 57730

// Relation dialog.
#define IDC_DB_RL_MAIN 264
#define IDC_DB_RL_RELATED 265
#define IDC_DB_RL_UPDATE 266
#define IDC_DB_RL_DELETE 267
#define IDC_DB_RL_GRID 268
#define IDC_DB_RL_NAME 269
#define IDS_DB_RL_NO_NAME 57739
#define IDS_DB_RL_NAME_TAKEN 57740
#define IDS_DB_RL_NO_PAIR 57741
#define IDS_DB_RL_NO_MAIN 57743
#define IDS_DB_RL_NO_RELATED 57744
