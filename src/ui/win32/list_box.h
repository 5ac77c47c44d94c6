// ItemList over a real LISTBOX control.
#pragma once

#include <windows.h>

#include "ui/item_list.h"

class ListBox final : public ItemList {
 public:
  explicit ListBox(HWND window) : window_(window) {}

  int count() override;
  bool append(const char* text) override;
  bool insert(int index, const char* text) override;
  void remove(int index) override;
  bool text(int index, char* buffer, int capacity) override;
  int selection() override;
  void select(int index) override;
  void holdRedraw(bool held) override;

 private:
  HWND window_;
};
