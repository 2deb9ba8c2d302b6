// Keeps the support library non-empty when no generator file exists yet.
