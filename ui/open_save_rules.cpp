// placeholder until the dialog lands
