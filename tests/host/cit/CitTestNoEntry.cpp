// A shared library that is not a component: it has no InstFactoryEntry.
extern "C" __attribute__((visibility("default"))) int CitTestNoEntryMarker() {
  return 1;
}
