// The configuration model grows here.
