// Gives the resource library an object of its own; the icon images are compiled in beside it.
namespace quor {
int ResourceAnchor() { return 0; }
} // namespace quor
