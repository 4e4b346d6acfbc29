// Filled in by the change that implements it.
