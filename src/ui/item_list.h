// The editor's view of a list box: the Windows view answers with LB_*
// messages to a real LISTBOX, tests with a vector that behaves the same way.
#pragma once

class ItemList {
 public:
  // Number of items.
  virtual int count() = 0;
  // Appends an item; false when the list could not take it.
  virtual bool append(const char* text) = 0;
  // Inserts before `index`; an index equal to the count appends. A selected
  // item at or behind `index` moves down with its item.
  virtual bool insert(int index, const char* text) = 0;
  // Removes item `index`. A selection behind it moves up with its item; the
  // selection of the removed item itself is cleared.
  virtual void remove(int index) = 0;
  // Copies item `index` into `buffer`; false (buffer untouched) when there is
  // no such item or it would not fit `capacity` bytes with its terminator.
  virtual bool text(int index, char* buffer, int capacity) = 0;
  // The selected item, or -1 for none.
  virtual int selection() = 0;
  // Selects item `index`; -1 clears the selection, any other index outside
  // the list changes nothing.
  virtual void select(int index) = 0;
  // While held, the list need not show its changes (a list box redraws
  // itself and its scroll bar on every item otherwise); on release it shows
  // them all at once.
  virtual void holdRedraw(bool held) { (void)held; }

 protected:
  ~ItemList() = default;
};
