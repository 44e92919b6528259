"""The filters that the window's tests and trawler-capture's select the site's rows with:
each as the window's start command takes it (mime, or ext), what it must select of a
page's rows (each with its url and mimeType), and a sentinel file that passes it."""

FILTER_CASES = (
    ({"mime": "image"}, lambda row: "image" in row["mimeType"], "sentinel.png"),
    # Extensions are compared as written: *.MP4 selects no .mp4.
    ({"ext": "*.css; *.MP4,*.json"}, lambda row: row["url"].endswith((".css", ".json")),
     "sentinel.json"),
)


def capture_arguments(chosen):
    """The same filter as trawler-capture's options."""
    return ["--mime", chosen["mime"]] if "mime" in chosen else ["--ext", chosen["ext"]]
