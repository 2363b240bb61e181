/* Identifiers of the rename page's controls (dialog 201). Plain macros, because the
   resource compiler reads this header too. */
#ifndef LARK_PAGE_CONTROLS_H
#define LARK_PAGE_CONTROLS_H

#define kRenamePageDialog 201
#define kSearchSubfoldersCheck 201
#define kMatchEdit 203
#define kReplaceEdit 204
#define kExampleText 205
#define kTestButton 206
#define kReplaceText 207
#define kRenamedToLabel 208
#define kSiteLink 209
#define kRenameButton 210
#define kRenameFoldersCheck 211
#define kSelectedCount 214

#endif
