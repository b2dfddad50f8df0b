// Placeholder until the registry file is written.
