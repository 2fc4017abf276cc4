% placeholder
