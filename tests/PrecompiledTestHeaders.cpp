// Nothing of its own: the object that carries the test programs' shared
// precompiled GoogleTest and GoogleMock headers.
