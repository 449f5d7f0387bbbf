import pytest

import lkmdb7


@pytest.fixture
def vault(tmp_path):
    """A saved database with the password "s3cret" and two records."""
    folder = tmp_path / "vault"
    db = lkmdb7.create(folder, "s3cret")
    db.add("Web Login", ["alex@example.org", "pw1"], category="Mail", mask=0b10)
    db.add("Bank", ["1234 5678", "0000"], note="PIN\nat the branch")
    db.save()
    return folder
