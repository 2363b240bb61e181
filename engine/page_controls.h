/* Identifiers of the rename page (dialog 201) and the results dialog (205). Plain macros, because the
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

/* The results dialog (205). */
#define kResultsDialog 205
#define kResultsList 212
#define kResultsTitle 213

#endif
