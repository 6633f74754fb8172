"""End-to-end tier: the shipped Uninstall.exe on Wine machines."""
