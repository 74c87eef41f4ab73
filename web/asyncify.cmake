# Asyncify for the page. A wait unwinds the stack to hand the browser control
# back and rewinds it after; every function that may be on the stack then is
# instrumented, which by default is every function that calls a wait or makes
# an indirect call (through the back-end record, or any hook).
#
# The move makes one indirect call, the reactor view's cell redraw, which
# never waits: it is left out by name (asyncify_remove.txt), so the move runs
# uninstrumented. For that it must stay a function of its own, but binaryen
# inlines any function into its only caller whatever its size (and the run
# loop, its caller, is instrumented): single-caller inlining is capped.
# tests/web/asyncify_check.sh reads Asyncify's own account and checks both.
#
# The saved stack holds the locals of every instrumented frame at a wait:
# 64 KiB leaves room for the dialog's and the pager's deepest calls.
set(LEMVARIS_ASYNCIFY_OPTIONS
  -sASYNCIFY_REMOVE=@${CMAKE_CURRENT_LIST_DIR}/asyncify_remove.txt
  -sBINARYEN_EXTRA_PASSES=--one-caller-inline-max-function-size=100
  -sASYNCIFY_STACK_SIZE=65536)
