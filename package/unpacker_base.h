// The base of the program's data object: two operations, empty here.
#ifndef KEPLA_PACKAGE_UNPACKER_BASE_H_
#define KEPLA_PACKAGE_UNPACKER_BASE_H_

class UnpackerBase {
 public:
  // Slot 0: reads what the object needs once, at start-up.
  virtual void Load() {}
  // Slot 1: gives back what Load read. Nothing calls it.
  virtual void Unload() {}

 protected:
  // Objects are deleted through their own class, never through the base.
  ~UnpackerBase() {}
};

#endif  // KEPLA_PACKAGE_UNPACKER_BASE_H_
