// Window and dialog procedures of the editor's Win32 view.
#pragma once

#include <windows.h>

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK infoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK coloursDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK previewWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK transSwatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK replaceSwatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
