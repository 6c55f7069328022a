// Helpers shared by the tests grow here.
