/* VyxPravomel: update wizard, message dialog and wait window offered to calling programs.
 *
 * The seven functions below are the library's whole interface; they have C linkage and are
 * exported under these names from libVyxPravomel.so. The caller must run a QApplication in the
 * calling thread: every window of the library belongs to that thread. Called without one, or
 * from another thread, the exports that show or close a window return at once (nothing shown,
 * ModalResult 0, DownLoadNewVersion False). Texts cross the boundary
 * as zero-terminated 8-bit texts in the local encoding (UTF-8), owned by the caller unless said.
 *
 * Window handles (AppHandle) are the caller's top-level window id, QWidget::winId() cast to
 * uintptr_t, or 0 when the caller has none. The library makes it the owner of its windows.
 *
 * Layout on this platform (LP64, pointers 8 bytes), fixed by the static checks at the end:
 *   TVersion        16 bytes: Major 0, Minor 4, Release 8, Build 12 (signed 32-bit each)
 *   TVyxMsgInfoIn   88 bytes: Kind 0 (1 byte, 7 bytes unused), Title 8, Description 16,
 *                   ActionText 24, NeverPromptCaption 32, ContinueCaption 40, CancelCaption 48,
 *                   DetailsCaption 56, OnDetails 64, Icon 72, Caption 80
 *   TVyxMsgInfoOut   8 bytes: ModalResult 0 (signed 32-bit), NeverPromptAgainChecked 4 (1 byte)
 */
#ifndef VYXPRAVOMEL_H
#define VYXPRAVOMEL_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(VYXPRAVOMEL_BUILDING)
#define VYX_EXPORT __attribute__((visibility("default")))
#else
#define VYX_EXPORT
#endif

#ifdef __cplusplus
/* The version-block value that GetFileInfos reads; each name is the key it reads. One byte. */
enum class TInfo : uint8_t {
    CompanyName = 0,
    FileDescription = 1,
    FileVersion = 2,
    InternalName = 3,
    LegalCopyright = 4,
    OriginalFilename = 5,
    ProductName = 6,
    ProductVersion = 7
};
extern "C" {
#else
typedef uint8_t TInfo;
enum {
    CompanyName = 0,
    FileDescription = 1,
    FileVersion = 2,
    InternalName = 3,
    LegalCopyright = 4,
    OriginalFilename = 5,
    ProductName = 6,
    ProductVersion = 7
};
#endif

typedef struct TVersion {
    int32_t Major;
    int32_t Minor;
    int32_t Release;
    int32_t Build;
} TVersion;

/* Called by the Details button of the message dialog with the text "c". */
typedef void (*TVyxDetailsProc)(const char* Text);

/* Kind: 0 warning, 1 error, 2 information, 3 confirmation, any other value custom. A nil
 * caption hides its button (or the check box); a nil OnDetails disables Details. Icon is the
 * address of a QIcon that the caller keeps alive during the call, or 0 (custom kinds only). */
typedef struct TVyxMsgInfoIn {
    uint8_t Kind;
    const char* Title;
    const char* Description;
    const char* ActionText;
    const char* NeverPromptCaption;
    const char* ContinueCaption;
    const char* CancelCaption;
    const char* DetailsCaption;
    TVyxDetailsProc OnDetails;
    uintptr_t Icon;
    const char* Caption;
} TVyxMsgInfoIn;

/* ModalResult: 1 Continue, 2 Cancel or the close box. */
typedef struct TVyxMsgInfoOut {
    int32_t ModalResult;
    uint8_t NeverPromptAgainChecked;
} TVyxMsgInfoOut;

/* Closes the wait window shown by ShowWaitMessage; nothing when none is shown. */
VYX_EXPORT void CloseWaitMessage(void);
/* Shows a borderless, always-on-top one-line wait window and returns at once. */
VYX_EXPORT void ShowWaitMessage(uintptr_t AppHandle, const char* Text);
/* Shows the message dialog modally and writes the answer into MsgOut (ModalResult 0 and the box
 * unticked when no dialog could be shown). */
VYX_EXPORT void VyxMessageDlg(TVyxMsgInfoOut* MsgOut, uintptr_t AppHandle, TVyxMsgInfoIn MsgIn);
/* Fills a request with the defaults: information kind, the three default button captions. */
VYX_EXPORT void VyxInitVyxMsgInfoIn(TVyxMsgInfoIn* MsgIn);
/* One value of a file's version block, or nil when the file has none or not that value. Each
 * thread has its own text: it stays valid until the same thread calls GetFileInfos again or ends;
 * the caller copies it and never frees it. */
VYX_EXPORT const char* GetFileInfos(TInfo Info, const char* FileName);
/* Splits a dotted version text into V. False on the conversion error
 * ("'%s' n'est pas une valeur entière correcte"); the numbers stored until then stay. */
VYX_EXPORT bool DispatchVersionInfos(const char* Version, TVersion* V);
/* Runs the update wizard modally against the update script at ScriptURL (http, https or an
 * existing local path). True when a new installer was downloaded and started: the caller then
 * closes its main window. */
VYX_EXPORT bool DownLoadNewVersion(uintptr_t AppHandle, const char* ScriptURL, const char* SiteURL);

#ifdef __cplusplus
}

static_assert(sizeof(TInfo) == 1);
static_assert(sizeof(TVersion) == 16);
static_assert(sizeof(void*) != 8 || sizeof(TVyxMsgInfoIn) == 88, "request record layout");
static_assert(sizeof(TVyxMsgInfoOut) == 8, "answer record layout");
#endif

#endif
