// Nothing of its own: the object library around this file carries the precompiled Qt headers that
// the test programs reuse (tests/CMakeLists.txt).
