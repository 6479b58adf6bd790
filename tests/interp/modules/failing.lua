attempts = (attempts or 0) + 1
error("failing on purpose", 0)
