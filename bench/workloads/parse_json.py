# Parses a generated JSON document of about 20 MB: 2,200 copies of a run of
# 100 different objects in one array.
import json

n = 2200
chunk = ",".join(
    '{"id": %d, "name": "item-%d", "price": %d.25, "tags": ["red", "green"], "ok": %s, "note": null}'
    % (i, i, i, "true" if i % 3 == 0 else "false")
    for i in range(100)
)
text = "[" + ",".join([chunk] * n) + "]"
items = json.loads(text)
total = 0
ok = 0
for item in items:
    total += item["id"]
    if item["ok"]:
        ok += 1
print(len(items), total, ok)
